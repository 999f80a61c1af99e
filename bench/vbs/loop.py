# Arithmetic loop: 20,000,000 iterations of integer and floating arithmetic.
def main():
    x, y = 0, 0.5
    for i in range(1, 20000001):
        x = (x + i * 3) % 1000003
        y = y * 0.999 + 1
    print(x, round(y, 3))
main()
