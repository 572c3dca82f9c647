#pragma once

#include "port/problem.h"

// Types and constants only: every libcups function is reached through CupsLibrary.
#include <cups/cups.h>

#include <QString>

namespace qbx {

// The libcups functions the print-queue port uses. The library is opened on first use instead of
// being linked, so that the program starts, and its other ports work, where it is missing.
struct CupsLibrary
{
    decltype(&::cupsServer) server;
    decltype(&::ippPort) ippPort;
    decltype(&::cupsEncryption) encryption;
    decltype(&::cupsUser) user;
    decltype(&::httpConnect2) connect;
    decltype(&::httpClose) close;
    decltype(&::httpSetTimeout) setTimeout;
    decltype(&::httpError) error;
    decltype(&::cupsDoRequest) doRequest;
    decltype(&::cupsStartDocument) startDocument;
    decltype(&::cupsWriteRequestData) writeRequestData;
    decltype(&::cupsGetResponse) getResponse;
    decltype(&::cupsCancelJob2) cancelJob;
    decltype(&::cupsGetDefault2) getDefault;
    decltype(&::ippNewRequest) newRequest;
    decltype(&::ippAddString) addString;
    decltype(&::ippAddStrings) addStrings;
    decltype(&::ippAddInteger) addInteger;
    decltype(&::ippFindAttribute) findAttribute;
    decltype(&::ippFindNextAttribute) findNextAttribute;
    decltype(&::ippGetCount) count;
    decltype(&::ippGetInteger) integer;
    decltype(&::ippGetBoolean) boolean;
    decltype(&::ippGetString) string;
    decltype(&::ippGetStatusCode) statusCode;
    decltype(&::ippErrorString) statusString;
    decltype(&::ippDelete) deleteMessage;
};

// The library, opened and resolved once by whichever thread asks first; nullptr when it or one of
// its functions is missing, with *why saying so and what to install.
const CupsLibrary* cupsLibrary(Problem* why);

} // namespace qbx
