// The results of the exports other than 1 = success / 0 = failure, named by family. Callers compare
// the numbers, so every value here is part of the exported interface and never changes; pyrolink.h
// states which export returns which family.
#pragma once

namespace pyrolink {

// OpenComm (and OpenSerCan, which returns its code).
enum OpenResult : int {
    kOpenDone = 0,
    kOpenBadPort = -1,         // index outside 0..15, on a serial port or through a proxy
    kOpenBadBaud = -2,         // not 9600, 19200, 38400, 57600 or 115200
    kOpenNoDevice = -3,        // the device does not open; through a proxy: the open exchange failed
    kOpenLineRefused = -4,     // the device refused the line settings
    kOpenTimeoutsRefused = -5, // the device refused the read time-outs
};

// Making and ending the one connection to the proxy. OpenComm returns the connection's code
// shifted by kProxyOpenOffset (-10001 .. -10006).
enum ProxyResult : int {
    kProxyDone = 0,
    kProxyNoAddress = -1, // the slot has no proxy address (255.255.255.255)
    kProxyNoSocket = -2,
    kProxyOptionRefused = -3, // the socket refused SO_REUSEADDR
    kProxyConnectFailed = -4,
    kProxyStartupFailed = -5, // the socket layer did not start
    kProxyAlreadyActive = -6, // connecting while connected
    kProxyAlreadyClosed = -6, // closing while not connected
    kProxyInvalidSocket = -7, // closing without a socket
};
constexpr int kProxyOpenOffset = -10000;

// The checked transfers (the *Ex memory forms and WriteKeyEx): the node's access check first, then
// the transfer.
enum CheckedResult : int {
    kCheckedDone = 1,
    kCheckRefused = -1,
    kCheckedTransferFailed = -2,
};

// ReadConf.
enum ConfigResult : int {
    kConfigDone = 0,
    kConfigFailed = -6, // port not open, or a configuration exchange failed three times
    kConfigBadNode = -7,
};

// GetParGen, GetParAx, SetParGen, SetParAx: 1 / 0, and this for a descriptor without a value.
constexpr int kNoValueAddress = -1;

// WriteSDO, ReadSDO and their _Wait forms: 1 / 0, and this when the node aborted the transfer (its
// abort code is then in the caller's data buffer).
constexpr int kSdoAborted = -1;

} // namespace pyrolink
