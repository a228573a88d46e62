#ifndef QORVAL_PORTACCESS_QORVAL32_H
#define QORVAL_PORTACCESS_QORVAL32_H
/*
 * libqorval32: the port access library every tool uses to reach a port.
 *
 * Every operation returns a 32-bit result, 0 for success; the port handle comes first.
 * Order of use: QORVAL_GetSystemInfo, QORVAL_PortOpen, QORVAL_GetPortInfo, other operations,
 * QORVAL_PortClose. The records below are carried between the driver and the tools unchanged,
 * so their layout is fixed byte for byte (checked at compile time at the end of this file).
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t QORVAL_HANDLE;

/* Driver type codes, as QORVAL_PortOpen takes them. */
enum {
    QORVAL_DRIVER_HESTABE5 = 0, /* SCC asynchronous */
    QORVAL_DRIVER_FENDAR5 = 1,  /* SCC SDLC/HDLC */
    QORVAL_DRIVER_GORLIN5 = 2,  /* SCC monosync/bisync */
    QORVAL_DRIVER_WYVEL32 = 3   /* 16C32 SDLC/HDLC: the adapter driver of this suite */
};

/* Result codes. */
enum {
    QORVAL_OK = 0,
    QORVAL_CRC_ERROR = 1,
    QORVAL_PARITY_ERROR = 2,
    QORVAL_OVERRUN = 3,
    QORVAL_INVALID_PARAMETER = 4,
    QORVAL_DMA_BUFFER_OVERFLOW = 5,
    QORVAL_NOT_SUPPORTED = 6,
    QORVAL_PORT_NOT_OPEN = 7,
    QORVAL_INVALID_NAME = 8,
    QORVAL_SHARING_VIOLATION = 9,
    QORVAL_PORT_NUMBER = 10,
    QORVAL_INVALID_DRIVER_TYPE = 11,
    QORVAL_BUFFER_ERROR = 12,
    QORVAL_INCOMPLETE = 13,
    QORVAL_GENERAL_ERROR = 14,
    QORVAL_IO_PENDING = 15,
    QORVAL_NO_TX_BUFFER = 16,
    QORVAL_LINE_ERROR = 17,
    QORVAL_INVALID_HANDLE = 18
};

/* Modem control word. */
enum {
    QORVAL_MODEM_DTR = 0x01,
    QORVAL_MODEM_RTS = 0x02,
    QORVAL_MODEM_LOCAL_LOOPBACK = 0x04,
    QORVAL_MODEM_REMOTE_LOOPBACK = 0x08,
    QORVAL_MODEM_DSR = 0x10,
    QORVAL_MODEM_DCD = 0x20,
    QORVAL_MODEM_CTS = 0x40,
    QORVAL_MODEM_RI = 0x80
};

/* Reset mask of QORVAL_ResetBuffers. */
enum { QORVAL_RESET_RECEIVE = 1, QORVAL_RESET_TRANSMIT = 2, QORVAL_RESET_BOTH = 3 };

enum { QORVAL_MAX_DRIVERS = 4, QORVAL_MAX_PORTS_PER_DRIVER = 4 };

typedef struct SystemInfoPort {
    char name[32];    /* such as "Port001" */
    uint32_t present; /* non-zero when the port exists */
    uint8_t reserved[4];
} SystemInfoPort;

typedef struct SystemInfoDriver {
    uint16_t driverType; /* what QORVAL_PortOpen takes */
    char name[30];       /* "HESTABE5", "FENDAR5", "GORLIN5", "WYVEL32" */
    uint32_t present;
    SystemInfoPort ports[QORVAL_MAX_PORTS_PER_DRIVER]; /* a port's number is its index + 1 */
    uint16_t portCount;
    uint8_t reserved[2];
} SystemInfoDriver;

typedef struct SystemInfo {
    uint16_t driverCount;
    uint8_t reserved[2];
    SystemInfoDriver drivers[QORVAL_MAX_DRIVERS];
} SystemInfo;

/* Description of an open port (68 bytes). */
typedef struct PortInfo {
    uint8_t reserved0[16];     /* 0x00: not written by the adapter driver */
    uint32_t capabilities;     /* 0x10: PortState fields a client may change */
    uint16_t ioBase;           /* 0x14 */
    uint16_t memoryBase;       /* 0x16: physical address of the memory window >> 4 */
    uint16_t txDmaChannel;     /* 0x18: 0xFFFF none */
    uint16_t rxDmaChannel;     /* 0x1A: 0xFFFF none */
    uint16_t irq;              /* 0x1C */
    uint16_t maxTxFrame;       /* 0x1E: largest transmit frame */
    uint16_t maxRxFrame;       /* 0x20: largest receive frame */
    uint16_t txBuffers;        /* 0x22 */
    uint16_t rxBuffers;        /* 0x24 */
    uint16_t cardType;         /* 0x26 */
    uint16_t channel;          /* 0x28: port number - 1 on the adapter driver */
    uint16_t interfaceType;    /* 0x2A */
    uint16_t encoding;         /* 0x2C */
    uint16_t flags;            /* 0x2E */
    uint16_t nodeAddress;      /* 0x30 */
    uint16_t crcMode;          /* 0x32 */
    uint16_t runMode;          /* 0x34: 0 full, 1 half, 2 interrupt, 4 auto-init */
    uint16_t chip;             /* 0x36 */
    char oscillator[12];       /* 0x38: 10 characters used, zero-terminated */
} PortInfo;

/* Settings and counters of a port (84 bytes). */
typedef struct PortState {
    uint8_t reserved0[16];     /* 0x00 */
    uint32_t rxTimeout;        /* 0x10 */
    uint32_t txTimeout;        /* 0x14 */
    uint32_t blockRead;        /* 0x18 */
    uint32_t blockWrite;       /* 0x1C */
    uint16_t divisor;          /* 0x20 */
    uint8_t clockMultiplier;   /* 0x22 */
    uint8_t dataBits;          /* 0x23 */
    uint8_t stopBits;          /* 0x24 */
    uint8_t parity;            /* 0x25: 0 none, 1 odd, 3 even */
    uint8_t nodeAddress;       /* 0x26 */
    uint8_t crcPreset;         /* 0x27 */
    uint8_t dpll;              /* 0x28 */
    uint8_t txClock;           /* 0x29 */
    uint8_t rxClock;           /* 0x2A */
    uint8_t brgSource;         /* 0x2B */
    uint8_t loopback;          /* 0x2C */
    uint8_t rs485;             /* 0x2D */
    uint8_t reserved1[2];      /* 0x2E */
    uint32_t txFrames;         /* 0x30 */
    uint32_t rxFrames;         /* 0x34 */
    uint32_t txPackets;        /* 0x38 */
    uint32_t rxPackets;        /* 0x3C */
    uint32_t crcErrors;        /* 0x40 */
    uint32_t overruns;         /* 0x44 */
    uint32_t parityErrors;     /* 0x48 */
    uint32_t options;          /* 0x4C */
    uint32_t status;           /* 0x50 */
} PortState;

uint32_t QORVAL_GetSystemInfo(SystemInfo* info);
uint32_t QORVAL_PortOpen(uint16_t driverType, uint16_t portNumber, QORVAL_HANDLE* handle);
uint32_t QORVAL_PortClose(QORVAL_HANDLE handle);
uint32_t QORVAL_GetPortInfo(QORVAL_HANDLE handle, PortInfo* info);
uint32_t QORVAL_GetPortState(QORVAL_HANDLE handle, PortState* state);
uint32_t QORVAL_SetPortState(QORVAL_HANDLE handle, const PortState* state);
/* At most one frame; returns at once with length 0 when nothing arrived. An error result may
 * come with length > 0 (the frame's bytes, e.g. with a CRC error). */
uint32_t QORVAL_GetData(QORVAL_HANDLE handle, uint8_t* buffer, uint16_t size, uint32_t* length);
/* QORVAL_GetData that also gives the time the frame arrived: nanoseconds since 1970 (UTC) at
 * which its closing flag reached the port, as the driver host stamps it, or the time the
 * library received it when the host has no stamp; 0 when no frame was delivered. */
uint32_t QORVAL_GetDataTimed(QORVAL_HANDLE handle, uint8_t* buffer, uint16_t size,
                             uint32_t* length, uint64_t* arrivalNs);
/* One frame of at most the largest transmit frame, queued for sending. */
uint32_t QORVAL_PutData(QORVAL_HANDLE handle, const uint8_t* data, uint32_t length);
uint32_t QORVAL_GetBufferCount(QORVAL_HANDLE handle, uint16_t* framesWaiting, uint16_t* txBuffersFree);
uint32_t QORVAL_ResetBuffers(QORVAL_HANDLE handle, uint16_t mask);
uint32_t QORVAL_GetModemControl(QORVAL_HANDLE handle, uint16_t* modemControl);
uint32_t QORVAL_SetModemControl(QORVAL_HANDLE handle, uint16_t modemControl);
uint32_t QORVAL_SetNodeAddress(QORVAL_HANDLE handle, uint8_t address);
uint32_t QORVAL_TransmitCommChar(QORVAL_HANDLE handle, uint8_t character);

#ifdef __cplusplus
}  /* extern "C" */

static_assert(sizeof(SystemInfoPort) == 40, "SystemInfo port entry is 40 bytes");
static_assert(sizeof(SystemInfoDriver) == 200, "SystemInfo driver entry is 200 bytes");
static_assert(offsetof(SystemInfoDriver, ports) == 36);
static_assert(offsetof(SystemInfoDriver, portCount) == 196);
static_assert(offsetof(SystemInfo, drivers) == 4);
static_assert(sizeof(PortInfo) == 68, "PortInfo is 68 bytes");
static_assert(offsetof(PortInfo, capabilities) == 0x10);
static_assert(offsetof(PortInfo, maxTxFrame) == 0x1E);
static_assert(offsetof(PortInfo, cardType) == 0x26);
static_assert(offsetof(PortInfo, runMode) == 0x34);
static_assert(offsetof(PortInfo, oscillator) == 0x38);
static_assert(sizeof(PortState) == 84, "PortState is 84 bytes");
static_assert(offsetof(PortState, divisor) == 0x20);
static_assert(offsetof(PortState, nodeAddress) == 0x26);
static_assert(offsetof(PortState, rs485) == 0x2D);
static_assert(offsetof(PortState, txFrames) == 0x30);
static_assert(offsetof(PortState, crcErrors) == 0x40);
static_assert(offsetof(PortState, status) == 0x50);
#endif

#endif /* QORVAL_PORTACCESS_QORVAL32_H */
