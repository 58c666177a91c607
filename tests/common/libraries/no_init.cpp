// A library without DllInit: not one of ours, so the loader must refuse it.
extern "C" int Answer();

int Answer() {
    return 42;
}
