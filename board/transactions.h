// Command transactions with the stove board: drain the receive side, write one command, wait,
// read the reply (at most 24 bytes) and check it. Each returns 1 on success and 0 on failure;
// out-values are written only on success. A transaction never retries: callers repeat it with
// their own wait times through the board link, which holds the link for each single attempt.
#pragma once

int sendControlCommand(unsigned short which, int wait);
int setLoad(unsigned short load, unsigned short state, int wait);
int readInput(unsigned short input, short *value, int wait);
// `text` must have room for 24 bytes; on success it holds the 22 identity bytes and a NUL.
int readIdentity(char *text, int wait);
int writeBank(unsigned short bank, int wait);
int readDebugValues(unsigned short index, short *first, short *second, short *third, int wait);
int setAnalogOutput(unsigned short output, unsigned short value, int wait);
int setChannel(unsigned short channel, unsigned short value, int wait);
int writeParameter(unsigned short table, unsigned short index, short value, int wait);
int readParameter(unsigned short table, unsigned short index, short *value, int wait);
