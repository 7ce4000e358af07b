// Exists only to be a shared library.
extern "C" int kl_fileinfo_sample() {
    return 1;
}
