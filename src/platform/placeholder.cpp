void tw_platform_placeholder() {}
