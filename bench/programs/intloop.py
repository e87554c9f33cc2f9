s = 0
for i in range(1, 5000001):
    s = (s + i * 3) % 1000003
print(s)
