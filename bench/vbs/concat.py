# 100,000 concatenations onto one text.
def main():
    s = ""
    for i in range(100000):
        s = s + "abc"
    print(len(s))
main()
