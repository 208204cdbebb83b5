/* The skin library's exports. The first three are what every program calls; the palette
   export lets a program that paints its own widgets (the Qt programs) use the skin's colours. */
#ifndef FOLIO_SKINH_H
#define FOLIO_SKINH_H

#ifdef _WIN32
#define SKINH_API __stdcall
#else
#define SKINH_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Colours are 0xRRGGBB. */
typedef struct SkinH_Palette {
    unsigned int window;
    unsigned int windowText;
    unsigned int base;
    unsigned int text;
    unsigned int button;
    unsigned int buttonText;
    unsigned int highlight;
    unsigned int highlightText;
    char name[64];       /* UTF-8 */
    char fontFamily[64]; /* UTF-8; empty: keep the program's font */
    int fontPointSize;   /* 0: keep the program's size */
    int alpha;           /* last value given to SkinH_SetWindowAlpha, 255 by default */
} SkinH_Palette;

int SKINH_API SkinH_Attach(void);
int SKINH_API SkinH_SetWindowAlpha(void* window, int alpha);
int SKINH_API SkinH_AttachEx(const char* skinFile, const char* password);
/* Copies the attached skin's palette; returns 1, or 0 (and leaves *out alone) when no skin
   file has been attached successfully. `size` is sizeof(SkinH_Palette) as the caller knows it. */
int SKINH_API SkinH_GetPalette(SkinH_Palette* out, int size);

#ifdef __cplusplus
}
#endif

#endif
