local function add3(a, b, c) return a + b + c end
local function bump(x) return x + 1 end
local s = 0
for i = 1, 1000000 do
  s = add3(s, i, 1) % 1000000
  s = bump(s)
end
print(s)
