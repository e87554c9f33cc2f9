# Module-level names, the counterpart of the script's module variables.
total = 0
for i in range(1, 5000001):
    total = (total + i * 3) % 1000003
print(total)
