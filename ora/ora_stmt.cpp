#include "ora_stmt.h"

#include "ora_engine.h"
#include "ora_oci.h"
#include "tk_logger.h"

ora_stmt::ora_stmt() {
    tk_log(2, "ora_stmt::ctor");
    const ora_engine& engine = ora_engine::instance();
    engine.check_err(ora_oci().OCIHandleAlloc(engine.envhp(), reinterpret_cast<void**>(&handle_),
                                              OCI_HTYPE_STMT, 0, nullptr));
}

ora_stmt::~ora_stmt() {
    tk_log(2, "ora_stmt::dtor");
    if (handle_ != nullptr) ora_oci().OCIHandleFree(handle_, OCI_HTYPE_STMT);
    tk_log(2, "ora_stmt::dtor - END");
}
