local a, sum = {}, 0
for j = 1, 10 do
  for i = 0, 99999 do a[i] = i * j end
  for i = 0, 99999 do sum = sum + a[i] end
end
print(sum)
