#include "ora_exception.h"

#include "tk_logger.h"

ora_exception::ora_exception(int32_t ora_number, std::string text)
    : tk_exception(std::move(text), code_of(ora_number), 0), ora_number_(ora_number) {
    tk_log(2, "ora_exception::ctor");
}
