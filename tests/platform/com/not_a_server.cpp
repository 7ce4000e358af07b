// A shared library without registration entry points, for the register tool's refusals.
extern "C" __attribute__((visibility("default"))) int kl_not_a_server() {
    return 0;
}
