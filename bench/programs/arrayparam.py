def fill(a, j):
    for i in range(0, 100000):
        a[i] = i * j


def total(a):
    s = 0
    for i in range(0, 100000):
        s = s + a[i]
    return s


def run():
    a = [0] * 100000
    total_sum = 0
    for j in range(1, 11):
        fill(a, j)
        total_sum = total_sum + total(a)
    return total_sum


print(run())
