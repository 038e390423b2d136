/* koci.h: this project's declarations of the Oracle Call Interface subset it uses.
 *
 * Written from the vendor's public documentation of the interface: opaque handle types,
 * the numeric constants (handle and descriptor types, status codes, modes, attribute ids,
 * external data type codes), the prototypes of the exported functions, and one pointer type
 * per function (name + "_fn") so that a caller can build a table of functions resolved with
 * dlsym.  The same declarations serve the vendor's client library and the bundled ocilite
 * engine, so the product compiles the same calls whichever library is loaded.
 *
 * Plain C.  All text crosses the interface in the environment's character set (UTF-16 when
 * the environment is created with charset 1000), with lengths in bytes.
 */
#ifndef KOCI_H
#define KOCI_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- scalar types ---------------------------------------------------------------------- */
typedef unsigned char ub1;
typedef signed char sb1;
typedef unsigned short ub2;
typedef signed short sb2;
typedef unsigned int ub4;
typedef signed int sb4;
typedef unsigned long long ub8;
typedef signed long long sb8;
typedef int sword;
typedef unsigned char OraText;
typedef void dvoid;
typedef sb2 OCIInd;

/* ---- opaque handles and descriptors ----------------------------------------------------- */
typedef struct OCIEnv OCIEnv;
typedef struct OCIError OCIError;
typedef struct OCISvcCtx OCISvcCtx;
typedef struct OCIStmt OCIStmt;
typedef struct OCIBind OCIBind;
typedef struct OCIDefine OCIDefine;
typedef struct OCIDescribe OCIDescribe;
typedef struct OCIServer OCIServer;
typedef struct OCISession OCISession;
typedef struct OCISnapshot OCISnapshot;
typedef struct OCIParam OCIParam;
typedef struct OCILobLocator OCILobLocator;
typedef struct OCIDateTime OCIDateTime;

/* ---- handle and descriptor types -------------------------------------------------------- */
#define OCI_HTYPE_ENV 1
#define OCI_HTYPE_ERROR 2
#define OCI_HTYPE_SVCCTX 3
#define OCI_HTYPE_STMT 4
#define OCI_HTYPE_BIND 5
#define OCI_HTYPE_DEFINE 6
#define OCI_HTYPE_DESCRIBE 7
#define OCI_HTYPE_SERVER 8
#define OCI_HTYPE_SESSION 9
#define OCI_HTYPE_TRANS 10

#define OCI_DTYPE_LOB 50
#define OCI_DTYPE_PARAM 53
#define OCI_DTYPE_ROWID 54
#define OCI_DTYPE_FILE 56
#define OCI_DTYPE_INTERVAL_YM 62
#define OCI_DTYPE_INTERVAL_DS 63
#define OCI_DTYPE_DATE 65
#define OCI_DTYPE_TIMESTAMP 68
#define OCI_DTYPE_TIMESTAMP_TZ 69
#define OCI_DTYPE_TIMESTAMP_LTZ 70

/* ---- status codes ----------------------------------------------------------------------- */
#define OCI_SUCCESS 0
#define OCI_SUCCESS_WITH_INFO 1
#define OCI_NEED_DATA 99
#define OCI_NO_DATA 100
#define OCI_ERROR (-1)
#define OCI_INVALID_HANDLE (-2)
#define OCI_STILL_EXECUTING (-3123)
#define OCI_CONTINUE (-24200)

/* ---- modes ------------------------------------------------------------------------------ */
#define OCI_DEFAULT 0x0
#define OCI_THREADED 0x1
#define OCI_OBJECT 0x2
#define OCI_EVENTS 0x4
#define OCI_UTF16 0x4000

#define OCI_STMT_SCROLLABLE_READONLY 0x8
#define OCI_DESCRIBE_ONLY 0x10
#define OCI_COMMIT_ON_SUCCESS 0x20
#define OCI_BATCH_ERRORS 0x80
#define OCI_PARSE_ONLY 0x100

#define OCI_DATA_AT_EXEC 0x2
#define OCI_DYNAMIC_FETCH 0x2
#define OCI_PIECEWISE 0x4

#define OCI_ONE_PIECE 0
#define OCI_FIRST_PIECE 1
#define OCI_NEXT_PIECE 2
#define OCI_LAST_PIECE 3

#define OCI_NTV_SYNTAX 1
#define OCI_CRED_RDBMS 1
#define OCI_CRED_EXT 2
#define OCI_SYSDBA 0x2

#define OCI_FETCH_CURRENT 0x1
#define OCI_FETCH_NEXT 0x2
#define OCI_FETCH_FIRST 0x4
#define OCI_FETCH_LAST 0x8
#define OCI_FETCH_PRIOR 0x10
#define OCI_FETCH_ABSOLUTE 0x20
#define OCI_FETCH_RELATIVE 0x40

#define OCI_STMT_SELECT 1
#define OCI_STMT_UPDATE 2
#define OCI_STMT_DELETE 3
#define OCI_STMT_INSERT 4
#define OCI_STMT_CREATE 5
#define OCI_STMT_DROP 6
#define OCI_STMT_ALTER 7
#define OCI_STMT_BEGIN 8
#define OCI_STMT_DECLARE 9
#define OCI_STMT_CALL 10
#define OCI_STMT_MERGE 16

/* ---- character sets and forms ----------------------------------------------------------- */
#define OCI_UTF16ID 1000
#define OCI_UCS2ID 1000
#define SQLCS_IMPLICIT 1
#define SQLCS_NCHAR 2
#define SQLCS_EXPLICIT 3
#define SQLCS_FLEXIBLE 4
#define SQLCS_LIT_NULL 5

#define OCI_IND_NULL (-1)
#define OCI_IND_NOTNULL 0

/* ---- attribute ids (unique only per handle type) ---------------------------------------- */
#define OCI_ATTR_DATA_SIZE 1
#define OCI_ATTR_DATA_TYPE 2
#define OCI_ATTR_NAME 4
#define OCI_ATTR_PRECISION 5
#define OCI_ATTR_SCALE 6
#define OCI_ATTR_IS_NULL 7
#define OCI_ATTR_TYPE_NAME 8
#define OCI_ATTR_SCHEMA_NAME 9
#define OCI_ATTR_FSPRECISION 16
#define OCI_ATTR_LFPRECISION 17
#define OCI_ATTR_CHARSET_ID 31
#define OCI_ATTR_CHARSET_FORM 32
#define OCI_ATTR_CHAR_USED 285
#define OCI_ATTR_CHAR_SIZE 286

#define OCI_ATTR_SERVER 6
#define OCI_ATTR_SESSION 7
#define OCI_ATTR_USERNAME 22
#define OCI_ATTR_PASSWORD 23

#define OCI_ATTR_ROW_COUNT 9
#define OCI_ATTR_PREFETCH_ROWS 11
#define OCI_ATTR_PREFETCH_MEMORY 13
#define OCI_ATTR_PARAM_COUNT 18
#define OCI_ATTR_STMT_TYPE 24
#define OCI_ATTR_ROWS_RETURNED 42
#define OCI_ATTR_PARSE_ERROR_OFFSET 129
#define OCI_ATTR_ROWS_FETCHED 197

/* ---- external data types (SQLT) --------------------------------------------------------- */
#define SQLT_CHR 1
#define SQLT_NUM 2
#define SQLT_INT 3
#define SQLT_FLT 4
#define SQLT_STR 5
#define SQLT_VNU 6
#define SQLT_PDN 7
#define SQLT_LNG 8
#define SQLT_VCS 9
#define SQLT_NON 10
#define SQLT_RID 11
#define SQLT_DAT 12
#define SQLT_VBI 15
#define SQLT_BFLOAT 21
#define SQLT_BDOUBLE 22
#define SQLT_BIN 23
#define SQLT_LBI 24
#define SQLT_UIN 68
#define SQLT_SLS 91
#define SQLT_LVC 94
#define SQLT_LVB 95
#define SQLT_AFC 96
#define SQLT_AVC 97
#define SQLT_IBFLOAT 100
#define SQLT_IBDOUBLE 101
#define SQLT_CUR 102
#define SQLT_RDD 104
#define SQLT_LAB 105
#define SQLT_OSL 106
#define SQLT_NTY 108
#define SQLT_REF 110
#define SQLT_CLOB 112
#define SQLT_BLOB 113
#define SQLT_BFILEE 114
#define SQLT_CFILEE 115
#define SQLT_RSET 116
#define SQLT_NCO 122
#define SQLT_VST 155
#define SQLT_ODT 156
#define SQLT_DATE 184
#define SQLT_TIME 185
#define SQLT_TIME_TZ 186
#define SQLT_TIMESTAMP 187
#define SQLT_TIMESTAMP_TZ 188
#define SQLT_INTERVAL_YM 189
#define SQLT_INTERVAL_DS 190
#define SQLT_TIMESTAMP_LTZ 232

/* ---- exported functions ----------------------------------------------------------------- */
#if defined(KOCI_BUILDING_ENGINE) && defined(__GNUC__)
#define KOCI_API __attribute__((visibility("default")))
#else
#define KOCI_API
#endif

typedef sb4 (*OCICallbackLobRead)(void* ctxp, const void* bufp, ub4 len, ub1 piece);
typedef sb4 (*OCICallbackLobWrite)(void* ctxp, void* bufp, ub4* lenp, ub1* piece);
typedef sb4 (*OCICallbackInBind)(void* ictxp, OCIBind* bindp, ub4 iter, ub4 index, void** bufpp,
                                 ub4* alenp, ub1* piecep, void** indpp);
typedef sb4 (*OCICallbackOutBind)(void* octxp, OCIBind* bindp, ub4 iter, ub4 index, void** bufpp,
                                  ub4** alenpp, ub1* piecep, void** indpp, ub2** rcodepp);

KOCI_API sword OCIEnvNlsCreate(OCIEnv** envhpp, ub4 mode, void* ctxp,
                               void* (*malocfp)(void* ctxp, size_t size),
                               void* (*ralocfp)(void* ctxp, void* memptr, size_t newsize),
                               void (*mfreefp)(void* ctxp, void* memptr), size_t xtramem_sz,
                               void** usrmempp, ub2 charset, ub2 ncharset);
KOCI_API sword OCIHandleAlloc(const void* parenth, void** hndlpp, const ub4 type,
                              const size_t xtramem_sz, void** usrmempp);
KOCI_API sword OCIHandleFree(void* hndlp, const ub4 type);
KOCI_API sword OCIDescriptorAlloc(const void* parenth, void** descpp, const ub4 type,
                                  const size_t xtramem_sz, void** usrmempp);
KOCI_API sword OCIDescriptorFree(void* descp, const ub4 type);
KOCI_API sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink,
                               sb4 dblink_len, ub4 mode);
KOCI_API sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4 mode);
KOCI_API sword OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt,
                               ub4 mode);
KOCI_API sword OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 mode);
KOCI_API sword OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size, ub4 attrtype,
                          OCIError* errhp);
KOCI_API sword OCIAttrGet(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep,
                          ub4 attrtype, OCIError* errhp);
KOCI_API sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp, ub4 pos);
KOCI_API sword OCIErrorGet(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep,
                           OraText* bufp, ub4 bufsiz, ub4 type);
KOCI_API sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len,
                              ub4 language, ub4 mode);
KOCI_API sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters,
                              ub4 rowoff, const OCISnapshot* snap_in, OCISnapshot* snap_out,
                              ub4 mode);
KOCI_API sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4 mode);
KOCI_API sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation,
                             sb4 fetchOffset, ub4 mode);
KOCI_API sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnpp, OCIError* errhp, ub4 position,
                              void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* rlenp,
                              ub2* rcodep, ub4 mode);
KOCI_API sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp,
                          ub4 offset, void* bufp, ub4 bufl, void* ctxp, OCICallbackLobRead cbfp,
                          ub2 csid, ub1 csfrm);
KOCI_API sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp,
                             const OraText* placeholder, sb4 placeh_len, void* valuep, sb4 value_sz,
                             ub2 dty, void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,
                             ub4* curelep, ub4 mode);
KOCI_API sword OCIBindDynamic(OCIBind* bindp, OCIError* errhp, void* ictxp, OCICallbackInBind icbfp,
                              void* octxp, OCICallbackOutBind ocbfp);
KOCI_API sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp,
                           ub4 offset, void* bufp, ub4 buflen, ub1 piece, void* ctxp,
                           OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm);
KOCI_API sword OCILobCharSetForm(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp,
                                 ub1* csfrm);
KOCI_API sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp);
KOCI_API sword OCIDateTimeGetDate(void* hndl, OCIError* err, const OCIDateTime* datetime, sb2* yr,
                                  ub1* mnth, ub1* dy);
KOCI_API sword OCIDateTimeGetTime(void* hndl, OCIError* err, OCIDateTime* datetime, ub1* hr,
                                  ub1* mm, ub1* ss, ub4* fsec);

/* ---- pointer types, for a table of functions resolved at run time ------------------------ */
typedef sword (*OCIEnvNlsCreate_fn)(OCIEnv**, ub4, void*, void* (*)(void*, size_t),
                                    void* (*)(void*, void*, size_t), void (*)(void*, void*), size_t,
                                    void**, ub2, ub2);
typedef sword (*OCIHandleAlloc_fn)(const void*, void**, const ub4, const size_t, void**);
typedef sword (*OCIHandleFree_fn)(void*, const ub4);
typedef sword (*OCIDescriptorAlloc_fn)(const void*, void**, const ub4, const size_t, void**);
typedef sword (*OCIDescriptorFree_fn)(void*, const ub4);
typedef sword (*OCIServerAttach_fn)(OCIServer*, OCIError*, const OraText*, sb4, ub4);
typedef sword (*OCIServerDetach_fn)(OCIServer*, OCIError*, ub4);
typedef sword (*OCISessionBegin_fn)(OCISvcCtx*, OCIError*, OCISession*, ub4, ub4);
typedef sword (*OCISessionEnd_fn)(OCISvcCtx*, OCIError*, OCISession*, ub4);
typedef sword (*OCIAttrSet_fn)(void*, ub4, void*, ub4, ub4, OCIError*);
typedef sword (*OCIAttrGet_fn)(const void*, ub4, void*, ub4*, ub4, OCIError*);
typedef sword (*OCIParamGet_fn)(const void*, ub4, OCIError*, void**, ub4);
typedef sword (*OCIErrorGet_fn)(void*, ub4, OraText*, sb4*, OraText*, ub4, ub4);
typedef sword (*OCIStmtPrepare_fn)(OCIStmt*, OCIError*, const OraText*, ub4, ub4, ub4);
typedef sword (*OCIStmtExecute_fn)(OCISvcCtx*, OCIStmt*, OCIError*, ub4, ub4, const OCISnapshot*,
                                   OCISnapshot*, ub4);
typedef sword (*OCIStmtFetch_fn)(OCIStmt*, OCIError*, ub4, ub2, ub4);
typedef sword (*OCIStmtFetch2_fn)(OCIStmt*, OCIError*, ub4, ub2, sb4, ub4);
typedef sword (*OCIDefineByPos_fn)(OCIStmt*, OCIDefine**, OCIError*, ub4, void*, sb4, ub2, void*,
                                   ub2*, ub2*, ub4);
typedef sword (*OCILobRead_fn)(OCISvcCtx*, OCIError*, OCILobLocator*, ub4*, ub4, void*, ub4, void*,
                               OCICallbackLobRead, ub2, ub1);
typedef sword (*OCIBindByName_fn)(OCIStmt*, OCIBind**, OCIError*, const OraText*, sb4, void*, sb4,
                                  ub2, void*, ub2*, ub2*, ub4, ub4*, ub4);
typedef sword (*OCIBindDynamic_fn)(OCIBind*, OCIError*, void*, OCICallbackInBind, void*,
                                   OCICallbackOutBind);
typedef sword (*OCILobWrite_fn)(OCISvcCtx*, OCIError*, OCILobLocator*, ub4*, ub4, void*, ub4, ub1,
                                void*, OCICallbackLobWrite, ub2, ub1);
typedef sword (*OCILobCharSetForm_fn)(OCIEnv*, OCIError*, const OCILobLocator*, ub1*);
typedef sword (*OCILobGetLength_fn)(OCISvcCtx*, OCIError*, OCILobLocator*, ub4*);
typedef sword (*OCIDateTimeGetDate_fn)(void*, OCIError*, const OCIDateTime*, sb2*, ub1*, ub1*);
typedef sword (*OCIDateTimeGetTime_fn)(void*, OCIError*, OCIDateTime*, ub1*, ub1*, ub1*, ub4*);

#ifdef __cplusplus
}
#endif

#endif /* KOCI_H */
