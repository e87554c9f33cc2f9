total = 0
s = ""
for i in range(1, 200001):
    s = s + "ab"
    if len(s) > 1000:
        total += len(s)
        s = ""
print(total)
