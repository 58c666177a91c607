// Runs the library's tests and the widgets' tests in one application.
#include <QApplication>

#include "test_suites.h"

int main(int argc, char** argv) {
    const QApplication application(argc, argv);
    const int library_failures = kesto::colophon::run_library_tests(argc, argv);
    const int widget_failures = kesto::colophon::run_widget_tests(argc, argv);
    return library_failures + widget_failures > 0 ? 1 : 0;
}
