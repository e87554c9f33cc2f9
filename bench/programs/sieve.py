count = 0
for rounds in range(1, 6):
    flags = [False] * 200001
    count = 0
    for i in range(2, 200001):
        flags[i] = True
    for i in range(2, 200001):
        if flags[i]:
            count += 1
            k = i + i
            while k <= 200000:
                flags[k] = False
                k += i
print(count)
