-- Global variables, the counterpart of the script's module variables.
sum = 0
for i = 1, 5000000 do
  sum = (sum + i * 3) % 1000003
end
print(sum)
