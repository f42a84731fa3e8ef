extern "C" __attribute__((visibility("default"))) int zam_plugin_placeholder() { return 0; }
