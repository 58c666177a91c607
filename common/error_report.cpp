#include "common/error_report.h"

#include <atomic>
#include <cstdio>

#include "common/trace.h"

namespace kesto::common {

namespace {

void write_to_standard_error(const std::string& text) {
    std::fprintf(stderr, "KESTO FTP: %s\n", text.c_str());
}

std::atomic<ErrorPresenter> the_presenter{&write_to_standard_error};

}  // namespace

void set_error_presenter(ErrorPresenter presenter) {
    the_presenter.store(presenter != nullptr ? presenter : &write_to_standard_error);
}

void present_error(const std::string& text) {
    if (tracing_on()) trace("%s", text.c_str());
    the_presenter.load()(text);
}

}  // namespace kesto::common
