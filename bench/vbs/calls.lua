-- 10,000,000 calls of a function with two arguments.
local function add(a, b)
  return a + b
end
local x = 0
for i = 1, 10000000 do
  x = add(x, i)
end
print(x)
