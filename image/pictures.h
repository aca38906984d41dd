// The six pictures of the show, embedded as complete baseline JPEG files.
// The arrays are generated at build time from image/pictures/*.jpg.
#pragma once

extern const unsigned char hamsterjpg[];
extern const int hamsterjpglen;
extern const unsigned char bagjpg[];
extern const int bagjpglen;
extern const unsigned char noisejpg[];
extern const int noisejpglen;
extern const unsigned char bottlejpg[];
extern const int bottlejpglen;
extern const unsigned char snapshotjpg[];
extern const int snapshotjpglen;
extern const unsigned char glowjpg[];
extern const int glowjpglen;
