// A loadable module that is not a plug-in: it exports no entry point.
extern "C" __attribute__((visibility("default"))) int QuelorTestNotAPlugin() {
    return 1;
}
