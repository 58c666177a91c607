#pragma once
// The test classes of colophon_tests, each run by main in the same application.

namespace kesto::colophon {

int run_library_tests(int argc, char** argv);
int run_widget_tests(int argc, char** argv);

}  // namespace kesto::colophon
