def add3(a, b, c):
    return a + b + c

def bump(x):
    return x + 1

s = 0
for i in range(1, 1000001):
    s = add3(s, i, 1) % 1000000
    s = bump(s)
print(s)
