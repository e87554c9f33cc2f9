x = 0.0
for i in range(1, 3000001):
    x = x + 1.0 / (i * 1.5) - x * 0.000001
print(round(x * 1000000))
