void tw_support_placeholder() {}
