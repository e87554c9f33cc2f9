a = [0] * 100000
s = 0
for j in range(1, 11):
    for i in range(0, 100000):
        a[i] = i * j
    for i in range(0, 100000):
        s = s + a[i]
print(s)
