// Replacements for a few pieces of the static C++ runtime, linked into the programs that ship (the
// host and test builds keep the runtime's own). Each original drags in far more than the launcher
// uses; what a program observes stays the same.
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

namespace {

// Stands in for std::length_error, std::out_of_range and std::logic_error, the failures the
// standard containers report (a size past their maximum, a position past the end, a null text).
// Their own constructors would bring along the runtime's copy-on-write strings, its stdexcept
// classes and std::random_device (about 80 KB). Nothing in the programs catches those types by
// name: the browser lookup's guard catches every failure, and anywhere else an uncaught one ends
// the program as before.
class StandardLibraryError : public std::exception {
 public:
  explicit StandardLibraryError(const char* what) : what_(what) {}
  const char* what() const noexcept override { return what_; }

 private:
  const char* what_;
};

}  // namespace

namespace std {

void __throw_bad_alloc() {
  throw bad_alloc();
}

void __throw_bad_array_new_length() {
  throw bad_array_new_length();
}

void __throw_logic_error(const char* what) {
  throw StandardLibraryError(what);
}

void __throw_length_error(const char* what) {
  throw StandardLibraryError(what);
}

void __throw_out_of_range_fmt(const char* format, ...) {
  throw StandardLibraryError(format);
}

}  // namespace std

namespace __gnu_cxx {

// The default terminate handler writes the demangled type of an uncaught exception to the
// standard error stream, which a program of the GUI subsystem does not have, and brings the whole
// symbol demangler with it (about 46 KB). std::terminate still ends the program by abort().
void __verbose_terminate_handler() {
  std::abort();
}

}  // namespace __gnu_cxx
