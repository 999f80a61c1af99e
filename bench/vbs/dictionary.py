# 200,000 dict operations: 100,000 adds, then 100,000 lookups.
def main():
    d = {}
    for i in range(1, 100001):
        d["key" + str(i)] = i
    total = 0
    for i in range(1, 100001):
        total += d["key" + str(i)]
    print(len(d), total)
main()
