// Named points of the install where the fault-injection test kills the process: when the
// environment variable ZEPH_DBU_KILL_AT names the point, the process kills itself there
// (SIGKILL, as a power cut or a killed task would end it).
#pragma once

namespace zeph::dbu {

void faultPoint(const char* name);

}  // namespace zeph::dbu
