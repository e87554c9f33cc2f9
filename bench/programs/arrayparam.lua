local function fill(a, j)
  for i = 0, 99999 do a[i] = i * j end
end

local function total(a)
  local s = 0
  for i = 0, 99999 do s = s + a[i] end
  return s
end

local function run()
  local a, sum = {}, 0
  for j = 1, 10 do
    fill(a, j)
    sum = sum + total(a)
  end
  return sum
end

print(run())
