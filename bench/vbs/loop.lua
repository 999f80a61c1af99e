-- Arithmetic loop: 20,000,000 iterations of integer and floating arithmetic.
local x, y = 0, 0.5
for i = 1, 20000000 do
  x = (x + i * 3) % 1000003
  y = y * 0.999 + 1
end
print(x, math.floor(y * 1000 + 0.5) / 1000)
