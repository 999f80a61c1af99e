# 1,000,000 concatenations onto one text.
def main():
    s = ""
    for i in range(1000000):
        s = s + "abc"
    print(len(s))
main()
