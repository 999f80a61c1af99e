void tw_core_placeholder() {}
