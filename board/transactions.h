// Command transactions with the stove board: drop what the receive side holds (at once, without
// waiting for more), write one command, wait, read the reply (at most 24 bytes) and check it. Each
// returns 1 on success and 0 on failure (also when the port is not open); out-values are written
// only on success. A transaction never retries: callers repeat it with their own wait times through
// the board link, which holds the link for each single attempt and, after a failure, first waits
// for the line to fall quiet, so that a reply that came late is not taken for the next one.
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
