// The show: open the window, start the music and its clock, run the loop.
#include "demo/demo.h"
#include "display/window.h"

int main(int argc, char** argv)
{
    gl::init(argc, argv);
    demo::init();
    demo::run();
    return 0;
}
