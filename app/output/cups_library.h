// The CUPS library, loaded the first time printing needs it rather than with the program: most
// runs never print, and the library brings TLS, Kerberos and service discovery with it.
#pragma once

#include <cups/cups.h>

namespace velmor {

// The library's functions that printing calls. Their types come from the library's headers; the
// program is not linked with it.
struct CupsLibrary {
    decltype(&::cupsServer) cupsServer;
    decltype(&::ippPort) ippPort;
    decltype(&::cupsEncryption) cupsEncryption;
    decltype(&::httpConnect2) httpConnect2;
    decltype(&::httpClose) httpClose;
    decltype(&::httpGetFd) httpGetFd;
    decltype(&::httpFlushWrite) httpFlushWrite;
    decltype(&::httpGetStatus) httpGetStatus;
    decltype(&::cupsSetPasswordCB2) cupsSetPasswordCB2;
    decltype(&::cupsUser) cupsUser;
    decltype(&::cupsSetUser) cupsSetUser;
    decltype(&::cupsLastError) cupsLastError;
    decltype(&::ippErrorString) ippErrorString;
    decltype(&::cupsGetNamedDest) cupsGetNamedDest;
    decltype(&::cupsGetDests2) cupsGetDests2;
    decltype(&::cupsFreeDests) cupsFreeDests;
    decltype(&::cupsCopyDestInfo) cupsCopyDestInfo;
    decltype(&::cupsFreeDestInfo) cupsFreeDestInfo;
    decltype(&::cupsFindDestDefault) cupsFindDestDefault;
    decltype(&::ippFindAttribute) ippFindAttribute;
    decltype(&::ippGetCollection) ippGetCollection;
    decltype(&::ippGetInteger) ippGetInteger;
    decltype(&::cupsCreateJob) cupsCreateJob;
    decltype(&::cupsStartDocument) cupsStartDocument;
    decltype(&::cupsWriteRequestData) cupsWriteRequestData;
    decltype(&::cupsFinishDocument) cupsFinishDocument;
    decltype(&::cupsCancelJob2) cupsCancelJob2;
};

// The functions of the library file soname (libcups.so.2 for the system's CUPS); nullptr when it
// cannot be loaded or lacks one of them. A library once loaded stays for the whole process, so
// the answer for a name never changes; safe to call from any thread.
const CupsLibrary* LoadCupsLibrary(const char* soname);

}  // namespace velmor
