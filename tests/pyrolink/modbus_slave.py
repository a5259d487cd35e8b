#!/usr/bin/env python3
"""A third-party Modbus RTU slave for the link library's tests.

Serves holding registers for slaves 1 and 2 on the serial device given as the first argument
(one end of a pty pair). Slave 1 holds 100 registers with values 1000 + i, slave 2 holds
10 registers with values 2000 + i. Other slave addresses get no answer. Prints "ready" once the
device is open, then serves until killed.
"""
import asyncio
import logging
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusRtuFramer


def slave(first, count):
    block = ModbusSequentialDataBlock(0, [first + i for i in range(count)])
    return ModbusSlaveContext(hr=block, zero_mode=True)


async def main(device):
    # Exception replies are part of the tests; keep the slave quiet about them.
    logging.getLogger("pymodbus").setLevel(logging.CRITICAL)
    context = ModbusServerContext(slaves={1: slave(1000, 100), 2: slave(2000, 10)}, single=False)
    server = await StartAsyncSerialServer(
        context=context,
        framer=ModbusRtuFramer,
        port=device,
        baudrate=19200,
        timeout=0.05,
        ignore_missing_slaves=True,
        defer_start=True,
    )
    await server.start()
    print("ready", flush=True)
    await asyncio.Event().wait()


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1]))
