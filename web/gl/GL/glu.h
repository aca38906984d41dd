/* The two GLU calls the show makes, over the web GL layer (GL/gl.h).
 *
 * gluPerspective multiplies the current matrix by the perspective
 * projection, computed in double precision as GLU does.
 * gluBuild2DMipmaps uploads a power-of-two picture and every smaller level
 * down to 1x1, each the 2x2 box average of the one above, rounded to
 * nearest (a side that has reached 1 averages pairs). Other sizes are not
 * scaled: they return GLU_INVALID_VALUE and upload nothing.
 */
#ifndef WEB_GL_GLU_H
#define WEB_GL_GLU_H

#include <GL/gl.h>

#ifdef __cplusplus
extern "C" {
#endif

#define GLU_INVALID_VALUE 100901

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar);
GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height,
                        GLenum format, GLenum type, const void* data);

#ifdef __cplusplus
}
#endif

#endif
