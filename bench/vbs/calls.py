# 10,000,000 calls of a function with two arguments.
def add(a, b):
    return a + b
def main():
    x = 0
    for i in range(1, 10000001):
        x = add(x, i)
    print(x)
main()
