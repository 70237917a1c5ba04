// controllers.cpp: Windows implementation of controllers.h through the multimedia joystick interface.
#include "platform/controllers.h"

#include <windows.h>

#include <mmsystem.h>

bool ReadControllerButtons(int device_id, uint32_t &mask) {
  if (device_id < 0)
    return false;
  JOYINFOEX info{};
  info.dwSize = sizeof info;
  info.dwFlags = JOY_RETURNBUTTONS;
  if (joyGetPosEx(static_cast<UINT>(device_id), &info) != JOYERR_NOERROR)
    return false;
  mask = info.dwButtons;
  return true;
}
