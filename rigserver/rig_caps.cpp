// SPDX-License-Identifier: GPL-3.0-or-later
#include "rigserver/rig_caps.h"

namespace orvane::rig {

// The TS-2000's ranges, tuning steps and filters as Hamlib describes them, with only what this
// server serves: no functions, one level to read (STRENGTH, bit 30), no VFO operations. The
// client takes its time-out for an answer from "timeout" (plus a margin of its own): the server
// gives up on the radio after a second.
std::string_view dumpState() {
  static constexpr std::string_view kState = R"(1
2014
0
300000.000000 60000000.000000 0x3f -1 -1 0x3 0x3
144000000.000000 146000000.000000 0x3f -1 -1 0x3 0x0
430000000.000000 440000000.000000 0x3f -1 -1 0x3 0x0
144000000.000000 146000000.000000 0x3f -1 -1 0x4 0x0
430000000.000000 440000000.000000 0x3f -1 -1 0x4 0x0
0 0 0 0 0 0 0
1830000.000000 1850000.000000 0x3e 5000 100000 0x3 0x3
1830000.000000 1850000.000000 0x1 2000 25000 0x3 0x3
3500000.000000 3800000.000000 0x3e 5000 100000 0x3 0x3
3500000.000000 3800000.000000 0x1 5000 25000 0x3 0x3
7000000.000000 7100000.000000 0x3e 5000 100000 0x3 0x3
7000000.000000 7100000.000000 0x1 5000 25000 0x3 0x3
10100000.000000 10150000.000000 0x3e 5000 100000 0x3 0x3
10100000.000000 10150000.000000 0x1 5000 25000 0x3 0x3
14000000.000000 14350000.000000 0x3e 5000 100000 0x3 0x3
14000000.000000 14350000.000000 0x1 5000 25000 0x3 0x3
18068000.000000 18168000.000000 0x3e 5000 100000 0x3 0x3
18068000.000000 18168000.000000 0x1 5000 25000 0x3 0x3
21000000.000000 21450000.000000 0x3e 5000 100000 0x3 0x3
21000000.000000 21450000.000000 0x1 5000 25000 0x3 0x3
24890000.000000 24990000.000000 0x3e 5000 100000 0x3 0x3
24890000.000000 24990000.000000 0x1 5000 25000 0x3 0x3
28000000.000000 29700000.000000 0x3e 5000 100000 0x3 0x3
28000000.000000 29700000.000000 0x1 5000 25000 0x3 0x3
50000000.000000 50200000.000000 0x3e 5000 100000 0x3 0x3
50000000.000000 50200000.000000 0x1 5000 25000 0x3 0x3
144000000.000000 146000000.000000 0x3e 5000 100000 0x3 0x0
144000000.000000 146000000.000000 0x1 5000 25000 0x3 0x0
430000000.000000 440000000.000000 0x3e 5000 50000 0x3 0x0
430000000.000000 440000000.000000 0x1 5000 12500 0x3 0x0
0 0 0 0 0 0 0
0x1e 1
0x3f 10
0x3f 100
0x3f 1000
0x3f 2500
0x3f 5000
0x21 6250
0x3f 10000
0x21 12500
0x21 12500
0x21 15000
0x21 20000
0x21 25000
0x21 30000
0x21 50000
0x21 100000
0x3f 1000000
0x3f 0
0 0
0xc 2200
0x2 600
0x10 1500
0x1 6000
0x21 12000
0 0
20000
20000
1000
0
20 
20 
0x0
0x0
0x40000000
0x0
0x0
0x0
vfo_ops=0x0
ptt_type=0x1
targetable_vfo=0x1
has_set_vfo=1
has_get_vfo=1
has_set_freq=1
has_get_freq=1
has_set_conf=0
has_get_conf=0
has_power2mW=0
has_mW2power=0
timeout=1000
rig_model=2014
rigctld_version=Orvane rig server
done
)";
  return kState;
}

std::string_view dumpCaps() {
  static constexpr std::string_view kCaps = R"(Caps dump for model: 2014
Model name:	TS-2000
Mfg name:	Kenwood
Backend status:	through the Orvane panel
Rig type:	Transceiver
PTT type:	Rig capable
Port type:	Network link
Has targetable VFO: Y
Get level: STRENGTH(-54..54/0)
Set level:
Mode list: AM CW USB LSB RTTY FM CWR RTTYR
VFO list: VFOA VFOB
Can set Frequency:	Y
Can get Frequency:	Y
Can set Mode:	Y
Can get Mode:	Y
Can set VFO:	Y
Can get VFO:	Y
Can set PTT:	Y
Can get PTT:	Y
Can set Split Freq:	Y
Can get Split Freq:	Y
Can set Split Mode:	Y
Can get Split Mode:	Y
Can set Split VFO:	Y
Can get Split VFO:	Y
Can get Level:	Y
Can get Power Stat:	Y
RPRT 0
)";
  return kCaps;
}

}  // namespace orvane::rig
