#include "app/WindowProgram.h"

int main(int argc, char* argv[])
{
    return tavik::app::runWindow(argc, argv);
}
