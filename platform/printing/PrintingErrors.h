#pragma once

#include <stdexcept>

namespace printing {

// No printer to print on, or a printer that failed.
class PrinterError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A port or file that could not be opened, written or closed.
class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace printing
