void tw_vbs_placeholder() {}
