/*
 * pyrolink: the board link library of Hearth Bench.
 *
 * A flat C interface over one process-wide link: sixteen port slots (serial device or TCP proxy),
 * the raw byte exchange, the controller/boot-loader frame protocol, controller variables and
 * parameters, CAN/CANopen, small bus devices and Modbus RTU.
 *
 * Widths: int is 32-bit, short is 16-bit, unsigned char is a byte, signed char a signed byte.
 * The library has no locks: callers serialise every call.
 * Results: 1 success / 0 failure, except the exports below, each stated again at its declaration:
 *   OpenComm, OpenSerCan        0 opened, or a negative code (at OpenComm)
 *   ReadConf                    0 configured, -6 failed or port not open, -7 node not 1..99
 *   ReadBytesEx, WriteBytesEx,  1 done, -1 the node's access check refused (nothing transferred
 *   ReadMBEx .. WriteMLEx         from there on), -2 the transfer failed
 *   WriteKeyEx                  1 done, -1 the key check refused, -2 the key was not taken
 *   GetParGen, GetParAx,        1 done, 0 failed, -1 the descriptor has no value address
 *   SetParGen, SetParAx
 *   WriteSDO, ReadSDO (_Wait)   1 done, 0 failed, -1 the node aborted (abort code in `data`)
 *   GetNumParGen, GetNumParAx   the number of descriptors; 0 also on failure
 *   CloseComm, SetActiveComm, DoDebug, SetRemoteIP, SetConf: no result.
 * The other names ending in Ex (ReadVBAXEx .. WriteVLAXEx, ReadDigInpEx, ReadDigOutEx,
 * WriteDigOutEx, LoadFileISORamEx) return 1 / 0. ReadComm's 1 means the read was carried out,
 * with *got possibly 0; ClearComm's 1 means a read found nothing pending (the input is drained).
 *
 * The number before each declaration is the function's export ordinal (pyrolink.def): programs
 * bind some exports by ordinal, so these numbers never change.
 */
#ifndef PYROLINK_H
#define PYROLINK_H

#if defined(_WIN32)
#if defined(PYROLINK_BUILDING)
#define PYROLINK_API __declspec(dllexport)
#else
#define PYROLINK_API __declspec(dllimport)
#endif
#else
#if defined(PYROLINK_BUILDING)
#define PYROLINK_API __attribute__((visibility("default")))
#else
#define PYROLINK_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Port slots, serial transport and raw exchange ------------------------------------------ */

/* Opens port 0..15 ("COM1".."COM16") at 9600/19200/38400/57600/115200 baud, 8N1. t1 is the frame
 * receive time-out (ms); t2/t3 the read-total multiplier and read interval; t3 = -1 selects poll
 * mode. Returns 0, -1 bad port, -2 bad baud, -3 device not opened, -4 line settings refused,
 * -5 time-outs refused; through a proxy -3, -1 or -10001..-10006. */
/*   1 */ PYROLINK_API int OpenComm(int port, int baud, short controllerType, short t1, short t2, short t3);
/*   2 */ PYROLINK_API void CloseComm(void);
/* 113 */ PYROLINK_API void SetActiveComm(int port);
/* ClearComm reads and drops input until one read under the port's time-outs brings nothing, so on a
 * quiet line it lasts a whole read time-out; 0 when three reads of 255 bytes all brought data.
 * DrainComm drops only what has already arrived and returns at once; through a proxy that is what
 * reached this machine, while bytes the proxy's device holds come with the next read. Both return 0
 * when the port is not open. */
/* 118 */ PYROLINK_API int ClearComm(void);
/* 133 */ PYROLINK_API int DrainComm(void);
/*  99 */ PYROLINK_API int WriteComm(const unsigned char *data, int count);
/*  98 */ PYROLINK_API int ReadComm(unsigned char *buffer, int count, unsigned int *got);
/* 114 */ PYROLINK_API int SetCts(unsigned char flag);
/* 115 */ PYROLINK_API int ReadCts(short *cts);
/* 112 */ PYROLINK_API void DoDebug(int flag);

/* ---- Remote proxy (TCP port 1996) ------------------------------------------------------------ */

/* Address a.b.c.d for the active slot; 255.255.255.255 returns the slot to its serial device. */
/* 111 */ PYROLINK_API void SetRemoteIP(int a, int b, int c, int d);

/* ---- Controller frame protocol and memory ---------------------------------------------------- */

/*  64 */ PYROLINK_API int ReadBytes(unsigned char node, int address, short count,
                                     unsigned char *destination);
/*  65 */ PYROLINK_API int WriteBytes(unsigned char node, int address, short count,
                                      const unsigned char *source);
/*  66 */ PYROLINK_API int WriteBytesFlash(unsigned char node, int address, short count,
                                           const unsigned char *source);
/*  97 */ PYROLINK_API int DelOneSect(unsigned char node, unsigned char sector);
/* Per chunk of up to 127 bytes, the node's access check then the transfer: 1 done, -1 a check
 * refused, -2 a transfer failed (or count <= 0, no buffer); chunks before the one that stopped
 * stay done. */
/* 105 */ PYROLINK_API int ReadBytesEx(unsigned char node, int address, short count,
                                       unsigned char *destination);
/* 109 */ PYROLINK_API int WriteBytesEx(unsigned char node, int address, short count,
                                        const unsigned char *source);

/* ---- Controller configuration and variables --------------------------------------------------- */

/* Reads the node's identity and area table. Returns 0 when complete, -6 when the port is not open
 * or an exchange failed three times (entries already read keep their new values), -7 for a node
 * not 1..99. */
/*   3 */ PYROLINK_API int ReadConf(signed char node);
/*  79 */ PYROLINK_API void SetConf(void);
/*  76 */ PYROLINK_API int GetVerSW(signed char node, char *buffer);

/*  16 */ PYROLINK_API int ReadMB(unsigned char node, int address, unsigned char *value);
/*  17 */ PYROLINK_API int ReadMW(unsigned char node, int address, short *value);
/*  18 */ PYROLINK_API int ReadML(unsigned char node, int address, int *value);
/*  48 */ PYROLINK_API int WriteMB(unsigned char node, int address, unsigned char *value);
/*  49 */ PYROLINK_API int WriteMW(unsigned char node, int address, short *value);
/*  50 */ PYROLINK_API int WriteML(unsigned char node, int address, int *value);
/* The Ex forms check the node's access first: 1 done, -1 check refused, -2 transfer failed. */
/* 102 */ PYROLINK_API int ReadMBEx(unsigned char node, int address, unsigned char *value);
/* 103 */ PYROLINK_API int ReadMWEx(unsigned char node, int address, short *value);
/* 104 */ PYROLINK_API int ReadMLEx(unsigned char node, int address, int *value);
/* 106 */ PYROLINK_API int WriteMBEx(unsigned char node, int address, unsigned char *value);
/* 107 */ PYROLINK_API int WriteMWEx(unsigned char node, int address, short *value);
/* 108 */ PYROLINK_API int WriteMLEx(unsigned char node, int address, int *value);

/*   5 */ PYROLINK_API int ReadStatus(signed char node, short *value);
/*  36 */ PYROLINK_API int WriteStatus(signed char node, short *value);
/*   6 */ PYROLINK_API int ReadStatusCNC(signed char node, unsigned char *value);
/*  37 */ PYROLINK_API int WriteStatusCNC(signed char node, unsigned char *value);
/*   4 */ PYROLINK_API int ReadPidEnabled(signed char node, unsigned char *value);
/*  38 */ PYROLINK_API int WritePidEnabled(signed char node, unsigned char *value);

/*   7 */ PYROLINK_API int ReadVB(signed char node, unsigned char index, unsigned char *value);
/*   8 */ PYROLINK_API int ReadVW(signed char node, unsigned char index, short *value);
/*   9 */ PYROLINK_API int ReadVL(signed char node, unsigned char index, int *value);
/*  39 */ PYROLINK_API int WriteVB(signed char node, unsigned char index, unsigned char *value);
/*  40 */ PYROLINK_API int WriteVW(signed char node, unsigned char index, short *value);
/*  41 */ PYROLINK_API int WriteVL(signed char node, unsigned char index, int *value);

/*  10 */ PYROLINK_API int ReadVBAX(signed char node, unsigned char index, unsigned char *value);
/*  11 */ PYROLINK_API int ReadVWAX(signed char node, unsigned char index, short *value);
/*  12 */ PYROLINK_API int ReadVLAX(signed char node, unsigned char index, int *value);
/*  42 */ PYROLINK_API int WriteVBAX(signed char node, unsigned char index, unsigned char *value);
/*  43 */ PYROLINK_API int WriteVWAX(signed char node, unsigned char index, short *value);
/*  44 */ PYROLINK_API int WriteVLAX(signed char node, unsigned char index, int *value);
/*  13 */ PYROLINK_API int ReadVBAXEx(signed char node, unsigned short index, unsigned char *value);
/*  14 */ PYROLINK_API int ReadVWAXEx(signed char node, unsigned short index, short *value);
/*  15 */ PYROLINK_API int ReadVLAXEx(signed char node, unsigned short index, int *value);
/*  45 */ PYROLINK_API int WriteVBAXEx(signed char node, unsigned short index, unsigned char *value);
/*  46 */ PYROLINK_API int WriteVWAXEx(signed char node, unsigned short index, short *value);
/*  47 */ PYROLINK_API int WriteVLAXEx(signed char node, unsigned short index, int *value);

/*  19 */ PYROLINK_API int ReadMBPers(signed char node, int offset, unsigned char *value);
/*  20 */ PYROLINK_API int ReadMWPers(signed char node, int offset, short *value);
/*  21 */ PYROLINK_API int ReadMLPers(signed char node, int offset, int *value);
/*  51 */ PYROLINK_API int WriteMBPers(signed char node, int offset, unsigned char *value);
/*  52 */ PYROLINK_API int WriteMWPers(signed char node, int offset, short *value);
/*  53 */ PYROLINK_API int WriteMLPers(signed char node, int offset, int *value);

/*  22 */ PYROLINK_API int ReadMWParGen(signed char node, int offset, short *value);
/*  23 */ PYROLINK_API int ReadMLParGen(signed char node, int offset, int *value);
/*  24 */ PYROLINK_API int ReadMWParAx(signed char node, int offset, short *value);
/*  25 */ PYROLINK_API int ReadMLParAx(signed char node, int offset, int *value);
/*  54 */ PYROLINK_API int WriteMWParGen(signed char node, int offset, short *value);
/*  55 */ PYROLINK_API int WriteMLParGen(signed char node, int offset, int *value);
/*  56 */ PYROLINK_API int WriteMWParAx(signed char node, int offset, short *value);
/*  57 */ PYROLINK_API int WriteMLParAx(signed char node, int offset, int *value);

/*  26 */ PYROLINK_API int ReadSysB(signed char node, unsigned char index, unsigned char *value);
/*  27 */ PYROLINK_API int ReadSysW(signed char node, unsigned char index, short *value);
/*  28 */ PYROLINK_API int ReadSysL(signed char node, unsigned char index, int *value);
/*  58 */ PYROLINK_API int WriteSysB(signed char node, unsigned char index, unsigned char *value);
/*  59 */ PYROLINK_API int WriteSysW(signed char node, unsigned char index, short *value);
/*  60 */ PYROLINK_API int WriteSysL(signed char node, unsigned char index, int *value);

/* Digital I/O: 8 bytes (64 bits) or, for the Ex forms, 16 bytes (128 bits); bit k in byte k / 8. */
/*  29 */ PYROLINK_API int ReadDigInp(signed char node, unsigned char *bits);
/*  30 */ PYROLINK_API int ReadDigInpEx(signed char node, unsigned char *bits);
/*  31 */ PYROLINK_API int ReadDigOut(signed char node, unsigned char *bits);
/*  32 */ PYROLINK_API int ReadDigOutEx(signed char node, unsigned char *bits);
/*  61 */ PYROLINK_API int WriteDigOut(signed char node, unsigned char *bits);
/*  62 */ PYROLINK_API int WriteDigOutEx(signed char node, unsigned char *bits);
/*  33 */ PYROLINK_API int ReadAnInp(signed char node, signed char channel, short *value);
/*  34 */ PYROLINK_API int ReadAnOut(signed char node, signed char channel, short *value);
/*  63 */ PYROLINK_API int WriteAnOut(signed char node, signed char channel, short *value);

/* ---- Controller parameters, program download, keypad ---------------------------------------- */

/* The number of descriptors before the table's end marker; 0 also on failure. */
/*  69 */ PYROLINK_API int GetNumParGen(signed char node);
/*  71 */ PYROLINK_API int GetNumParAx(signed char node);
/* GetParGen, GetParAx, SetParGen, SetParAx: 1 done, 0 failed, -1 the descriptor has no value
 * address (GetParGen and GetParAx then leave every out-argument untouched). */
/*  70 */ PYROLINK_API int GetParGen(signed char node, short index, char *name, int *value, short *type,
                                     int *limit1, int *limit2, short *attributeHigh, short *attributeLow);
/*  72 */ PYROLINK_API int GetParAx(signed char node, short index, short axis, char *name, int *value,
                                    short *type, int *limit1, int *limit2, short *attributeHigh,
                                    short *attributeLow);
/*  73 */ PYROLINK_API int SetParGen(signed char node, short index, int *value);
/*  74 */ PYROLINK_API int SetParAx(signed char node, short index, short axis, int *value);
/*  75 */ PYROLINK_API int MemoPar(signed char node);
/*  67 */ PYROLINK_API int LoadFileISORam(signed char node, const char *path);
/*  68 */ PYROLINK_API int LoadFileISORamEx(signed char node, const char *path, int address);
/*  77 */ PYROLINK_API int LoadFileISOFlash(signed char node, const char *path);
/*  78 */ PYROLINK_API int WriteKey(signed char node, short key);
/* 1 done, -1 the key check refused, -2 the key was not taken. */
/* 110 */ PYROLINK_API int WriteKeyEx(signed char node, short key);
/*  35 */ PYROLINK_API int GetAddrFun(signed char node, const char *name, int *address);

/* ---- CAN adapter and CANopen ----------------------------------------------------------------- */

/* OpenComm, then the adapter counts as open: returns OpenComm's code (0 opened). */
/* 119 */ PYROLINK_API int OpenSerCan(int port, int baud, short controllerType, short t1, short t2, short t3);
/* 117 */ PYROLINK_API int StartCan(short idA, short *pair, short idB, short *quad);
/* 116 */ PYROLINK_API int StopCan(void);
/* 120 */ PYROLINK_API int ReadConfCan(unsigned char *c0, unsigned char *c1, unsigned char *c2,
                                       unsigned char *c3);
/* 121 */ PYROLINK_API int SetConfCan(unsigned char c0, unsigned char c1, unsigned char c2);
/* 122 */ PYROLINK_API int WriteMsgCan(int id, unsigned char length, unsigned char *data);
/* 123 */ PYROLINK_API int ReadMsgCan(short *id, unsigned char *length, unsigned char *data);
/* The SDO transfers: 1 done, 0 failed, -1 the node aborted the transfer (its 4-byte abort code
 * is then in `data`). */
/* 124 */ PYROLINK_API int WriteSDO(unsigned char node, short index, unsigned char subIndex,
                                    unsigned char size, unsigned char *data);
/* 125 */ PYROLINK_API int WriteSDO_Wait(unsigned char node, short index, unsigned char subIndex,
                                         unsigned char size, unsigned char *data, int milliseconds);
/* 126 */ PYROLINK_API int ReadSDO(unsigned char node, short index, unsigned char subIndex,
                                   unsigned char *size, unsigned char *data);
/* 127 */ PYROLINK_API int ReadSDO_Wait(unsigned char node, short index, unsigned char subIndex,
                                        unsigned char *size, unsigned char *data, int milliseconds);
/* 128 */ PYROLINK_API int StartRemoteNode(unsigned char node);
/* 129 */ PYROLINK_API int StopRemoteNode(unsigned char node);
/* 130 */ PYROLINK_API int EnterPreOperational(unsigned char node);
/* 131 */ PYROLINK_API int ResetNode(unsigned char node);
/* 132 */ PYROLINK_API int ResetCommunication(unsigned char node);

/* ---- Frequency sensors, I/O modules, Modbus RTU ----------------------------------------------- */

/*  80 */ PYROLINK_API int ReadFreqFRL(unsigned char address, short *f0, short *f1, short *f2, short *f3);
/*  83 */ PYROLINK_API int ReadFreqFRL2(unsigned char address, short *f0, short *f1, short *f2, short *f3,
                                        short *f4, short *f5, short *f6, short *f7);
/*  84 */ PYROLINK_API int ReadFreqFRL3(unsigned char address, short *values);
/*  81 */ PYROLINK_API int ReadConfFRL2(unsigned char address, unsigned char *value);
/*  82 */ PYROLINK_API int SetConfFRL2(unsigned char address, unsigned char *newValue);
/*  85 */ PYROLINK_API int ReadConfVEXA(unsigned char address, unsigned char *value);
/*  86 */ PYROLINK_API int SetConfVEXA(unsigned char address, unsigned char *newValue);
/*  87 */ PYROLINK_API int ReadDigInpVEXA(unsigned char address, unsigned char *inputs);
/*  88 */ PYROLINK_API int ReadVBVEXA(unsigned char address, unsigned char *bits);
/*  89 */ PYROLINK_API int WriteVBVEXA(unsigned char address, unsigned char bit, unsigned char *flag);
/*  90 */ PYROLINK_API int ReadVWVEXA(unsigned char address, unsigned char word, short *value);
/*  91 */ PYROLINK_API int WriteVWVEXA(unsigned char address, unsigned char word, short *value);
/*  92 */ PYROLINK_API int ResetVEXA(unsigned char address);
/*  93 */ PYROLINK_API int ReadConfVEXAAdv(unsigned char address, unsigned char *value);
/*  94 */ PYROLINK_API int SetConfVEXAAdv(unsigned char address, unsigned char *newValue);
/*  95 */ PYROLINK_API int ReadVWVEXAAdv(unsigned char address, unsigned char word, short *value);
/*  96 */ PYROLINK_API int WriteVWVEXAAdv(unsigned char address, unsigned char word, short *value);
/* 100 */ PYROLINK_API int ReadWRegMBus(unsigned char slave, short startRegister, short count, short *values);
/* 101 */ PYROLINK_API int WriteWRegMBus(unsigned char slave, short startRegister, short count,
                                         short *values);

#ifdef __cplusplus
}
#endif

#endif /* PYROLINK_H */
