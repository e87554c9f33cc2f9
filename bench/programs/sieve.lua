local count
for rounds = 1, 5 do
  local flags = {}
  count = 0
  for i = 2, 200000 do flags[i] = true end
  for i = 2, 200000 do
    if flags[i] then
      count = count + 1
      local k = i + i
      while k <= 200000 do
        flags[k] = false
        k = k + i
      end
    end
  end
end
print(count)
