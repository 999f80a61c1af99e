Fail
