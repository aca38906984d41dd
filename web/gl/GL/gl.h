/* The fixed-function OpenGL 1.x the show draws with, over WebGL 1.
 *
 * This header stands in for <GL/gl.h> in the web build (its folder comes
 * first on the include path), so the show's sources compile unchanged.
 * Every call below follows the OpenGL 1.x semantics for the cases listed;
 * the layer keeps the fixed-function state itself and draws through two
 * shader programs (untextured and textured). What cannot change the
 * picture is not drawn: a batch that a clear of colour and depth wipes
 * before it is drawn, and draws that add black to a canvas without alpha
 * (see batch.cpp).
 *
 * Covered:
 * - Immediate mode: glBegin/glEnd with GL_TRIANGLES, GL_TRIANGLE_STRIP,
 *   GL_TRIANGLE_FAN, GL_QUADS, GL_QUAD_STRIP and GL_POLYGON (convex);
 *   glVertex2f/3f, glColor3f/4f, glNormal3f, glTexCoord2f/2i. A colour,
 *   normal or texture coordinate set before glBegin applies to every vertex
 *   until changed, inside or outside the pair.
 * - Matrices: GL_MODELVIEW and GL_PROJECTION stacks (32 deep; a push past
 *   the top or a pop of the last entry is ignored), glLoadIdentity,
 *   glTranslatef, glRotatef, glScalef, glOrtho; gluPerspective in glu.h.
 * - Lighting, per vertex: the eight lights' ambient and diffuse colours and
 *   positions (glLightfv; w = 0 directional, otherwise a point light), the
 *   scene ambient of 0.2, the default material (ambient 0.2, diffuse 0.8),
 *   GL_COLOR_MATERIAL for ambient and diffuse; normals as given, never
 *   normalised (no GL_NORMALIZE), so scaled matrices scale the light.
 * - Texturing: one 2D unit, environment mode GL_MODULATE; glGenTextures,
 *   glBindTexture, glTexImage2D (1-4 components or GL_RGB/GL_RGBA, with a
 *   matching pixel format of unsigned bytes), glTexParameteri (filters and
 *   wrap modes), glCopyTexImage2D; mip-maps from gluBuild2DMipmaps
 *   (power-of-two sizes). Texture 0, or an incomplete texture, draws
 *   untextured, as in GL: one without a level-0 image, or with a mip-map
 *   minification filter (GL's initial one is) and not every level down to
 *   1x1, each half the size of the one above.
 * - Blending (glBlendFunc), depth test (GL_LESS), glViewport, glClearColor,
 *   glClear (which does nothing between glBegin and glEnd, where GL calls
 *   it an error), glFlush, glPixelStorei, glReadBuffer (GL_BACK only), and
 *   glReadPixels of GL_RGB or GL_RGBA unsigned bytes.
 *
 * Not covered (the show does not use them; calls that set them are
 * absent or, where listed, accepted without effect on drawing):
 * - Texture coordinate generation: glTexGeni and enabling GL_TEXTURE_GEN_*
 *   are accepted, but coordinates are always the ones given.
 * - Other texture environment modes (glTexEnvi accepts any and draws
 *   GL_MODULATE), texture matrices, 1D/3D textures, several units.
 * - glMaterial, glLightModel, specular light, emission, spot lights and
 *   attenuation (their defaults are what is drawn), two-sided lighting,
 *   GL_NORMALIZE, flat shading, fog, alpha test, stencil, polygon modes,
 *   lines and points, display lists, vertex arrays, glGetError and queries.
 * - Primitives with other modes draw nothing.
 */
#ifndef WEB_GL_GL_H
#define WEB_GL_GL_H

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned int GLenum;
typedef unsigned char GLboolean;
typedef unsigned int GLbitfield;
typedef void GLvoid;
typedef int GLint;
typedef int GLsizei;
typedef unsigned int GLuint;
typedef unsigned char GLubyte;
typedef float GLfloat;
typedef float GLclampf;
typedef double GLdouble;
typedef double GLclampd;

#define GL_FALSE 0
#define GL_TRUE 1

#define GL_TRIANGLES 0x0004
#define GL_TRIANGLE_STRIP 0x0005
#define GL_TRIANGLE_FAN 0x0006
#define GL_QUADS 0x0007
#define GL_QUAD_STRIP 0x0008
#define GL_POLYGON 0x0009

#define GL_DEPTH_BUFFER_BIT 0x00000100
#define GL_COLOR_BUFFER_BIT 0x00004000

#define GL_ZERO 0
#define GL_ONE 1
#define GL_SRC_COLOR 0x0300
#define GL_ONE_MINUS_SRC_COLOR 0x0301
#define GL_SRC_ALPHA 0x0302
#define GL_ONE_MINUS_SRC_ALPHA 0x0303
#define GL_DST_ALPHA 0x0304
#define GL_ONE_MINUS_DST_ALPHA 0x0305
#define GL_DST_COLOR 0x0306
#define GL_ONE_MINUS_DST_COLOR 0x0307

#define GL_BACK 0x0405
#define GL_INVALID_ENUM 0x0500

#define GL_LIGHTING 0x0B50
#define GL_COLOR_MATERIAL 0x0B57
#define GL_DEPTH_TEST 0x0B71
#define GL_BLEND 0x0BE2
#define GL_TEXTURE_2D 0x0DE1
#define GL_TEXTURE_GEN_S 0x0C60
#define GL_TEXTURE_GEN_T 0x0C61
#define GL_TEXTURE_GEN_R 0x0C62
#define GL_TEXTURE_GEN_Q 0x0C63

#define GL_PACK_ALIGNMENT 0x0D05
#define GL_UNPACK_ALIGNMENT 0x0CF5

#define GL_UNSIGNED_BYTE 0x1401
#define GL_RGB 0x1907
#define GL_RGBA 0x1908

#define GL_AMBIENT 0x1200
#define GL_DIFFUSE 0x1201
#define GL_POSITION 0x1203
#define GL_LIGHT0 0x4000
#define GL_LIGHT1 0x4001
#define GL_LIGHT2 0x4002
#define GL_LIGHT3 0x4003
#define GL_LIGHT4 0x4004
#define GL_LIGHT5 0x4005
#define GL_LIGHT6 0x4006
#define GL_LIGHT7 0x4007

#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701

#define GL_S 0x2000
#define GL_T 0x2001
#define GL_R 0x2002
#define GL_Q 0x2003
#define GL_MODULATE 0x2100
#define GL_TEXTURE_ENV_MODE 0x2200
#define GL_TEXTURE_ENV 0x2300
#define GL_SPHERE_MAP 0x2402
#define GL_TEXTURE_GEN_MODE 0x2500

#define GL_NEAREST 0x2600
#define GL_LINEAR 0x2601
#define GL_NEAREST_MIPMAP_NEAREST 0x2700
#define GL_LINEAR_MIPMAP_NEAREST 0x2701
#define GL_NEAREST_MIPMAP_LINEAR 0x2702
#define GL_LINEAR_MIPMAP_LINEAR 0x2703
#define GL_TEXTURE_MAG_FILTER 0x2800
#define GL_TEXTURE_MIN_FILTER 0x2801
#define GL_TEXTURE_WRAP_S 0x2802
#define GL_TEXTURE_WRAP_T 0x2803
#define GL_REPEAT 0x2901
#define GL_CLAMP_TO_EDGE 0x812F

void glEnable(GLenum cap);
void glDisable(GLenum cap);
void glBlendFunc(GLenum sfactor, GLenum dfactor);
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height);
void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha);
void glClear(GLbitfield mask);
void glFlush(void);

void glMatrixMode(GLenum mode);
void glLoadIdentity(void);
void glPushMatrix(void);
void glPopMatrix(void);
void glTranslatef(GLfloat x, GLfloat y, GLfloat z);
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void glScalef(GLfloat x, GLfloat y, GLfloat z);
void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top,
             GLdouble zNear, GLdouble zFar);

void glBegin(GLenum mode);
void glEnd(void);
void glVertex2f(GLfloat x, GLfloat y);
void glVertex3f(GLfloat x, GLfloat y, GLfloat z);
void glColor3f(GLfloat red, GLfloat green, GLfloat blue);
void glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
void glNormal3f(GLfloat nx, GLfloat ny, GLfloat nz);
void glTexCoord2f(GLfloat s, GLfloat t);
void glTexCoord2i(GLint s, GLint t);

void glLightfv(GLenum light, GLenum pname, const GLfloat* params);

void glGenTextures(GLsizei n, GLuint* textures);
void glBindTexture(GLenum target, GLuint texture);
void glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width,
                  GLsizei height, GLint border, GLenum format, GLenum type,
                  const GLvoid* pixels);
void glTexParameteri(GLenum target, GLenum pname, GLint param);
void glCopyTexImage2D(GLenum target, GLint level, GLenum internalformat, GLint x,
                      GLint y, GLsizei width, GLsizei height, GLint border);
void glTexEnvi(GLenum target, GLenum pname, GLint param);
void glTexGeni(GLenum coord, GLenum pname, GLint param);

void glPixelStorei(GLenum pname, GLint param);
void glReadBuffer(GLenum mode);
void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                  GLenum type, GLvoid* pixels);

#ifdef __cplusplus
}
#endif

#endif
