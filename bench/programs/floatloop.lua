local x = 0.0
for i = 1, 3000000 do
  x = x + 1.0 / (i * 1.5) - x * 0.000001
end
print(math.floor(x * 1000000 + 0.5))
