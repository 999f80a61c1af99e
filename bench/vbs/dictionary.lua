-- 200,000 table operations: 100,000 adds, then 100,000 lookups.
local d, count = {}, 0
for i = 1, 100000 do
  d["key" .. i] = i
  count = count + 1
end
local total = 0
for i = 1, 100000 do
  total = total + d["key" .. i]
end
print(count, total)
