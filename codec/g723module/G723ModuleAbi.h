/* The C interface between QuenGreeting and its G.723.1 codec module. The program
 * looks up one symbol, which returns a table of functions; the version field lets the
 * program refuse a module built for another interface instead of calling into it. */
#ifndef QUEN_G723_MODULE_ABI_H
#define QUEN_G723_MODULE_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QUEN_G723_MODULE_VERSION 2
#define QUEN_G723_MODULE_ENTRY "quen_g723_module"

/* 240 samples (480 bytes of 16-bit little-endian PCM) make one 24-byte frame. */
#define QUEN_G723_BLOCK_BYTES 480
#define QUEN_G723_FRAME_BYTES 24

typedef struct QuenG723Encoder QuenG723Encoder;
typedef struct QuenG723Decoder QuenG723Decoder;

typedef struct QuenG723Module {
    int version; /* QUEN_G723_MODULE_VERSION */
    /* A fresh 6.3 kbit/s encoder state; null when the codec cannot be opened. */
    QuenG723Encoder* (*createEncoder)(void);
    /* Encodes the next block into `frame`, carrying the state on; 0 on success. */
    int (*encode)(QuenG723Encoder* encoder, const unsigned char* block, unsigned char* frame);
    void (*destroyEncoder)(QuenG723Encoder* encoder);
    /* A fresh decoder state; null when the codec cannot be opened. */
    QuenG723Decoder* (*createDecoder)(void);
    /* Decodes the next frame into the 240 `samples`, carrying the state on; 0 on
     * success. A frame the codec refuses leaves all 240 samples 0 and answers not 0. */
    int (*decode)(QuenG723Decoder* decoder, const unsigned char* frame, int16_t* samples);
    void (*destroyDecoder)(QuenG723Decoder* decoder);
} QuenG723Module;

typedef const QuenG723Module* (*QuenG723ModuleEntry)(void);

#ifdef __cplusplus
}
#endif

#endif
