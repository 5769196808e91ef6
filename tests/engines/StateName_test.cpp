#include "InstCourante.h"
#include "StateTable.h"
#include "progboot.h"
#include "progpsd.h"

#include <gtest/gtest.h>

TEST(EngineStates, BootLoaderStatesCarryTheirTableNumbers)
{
    ExpectStateTable<TProgBoot::BootState>({
        {0, "Idle"},
        {1, "StartUpload"},
        {2, "AwaitEraseStart"},
        {4, "SendSyncProbe"},
        {5, "AwaitBootLoader"},
        {6, "SendDeviceType"},
        {7, "AwaitDeviceType"},
        {8, "ReadIdentification"},
        {9, "Halted"},
        {10, "AwaitEraseEnd"},
        {11, "UploadLines"},
        {12, "SendChecksumRecord"},
        {13, "AwaitChecksumAcknowledgement"},
        {14, "Done"},
    });
}

TEST(EngineStates, BankStatesCarryTheirTableNumbers)
{
    ExpectStateTable<TProgPsd::PsdState>({
        {0, "Idle"},
        {1, "StartUpload"},
        {2, "AwaitEraseStart"},
        {3, "AwaitEraseEnd"},
        {4, "Halted"},
        {5, "Stopped"},
        {6, "UploadLines"},
        {7, "SendChecksumRecord"},
        {8, "AwaitChecksumAcknowledgement"},
        {9, "SendIdentify"},
        {10, "AwaitIdentifyAcknowledgement"},
        {11, "ReadMcuId"},
        {12, "SendFunction"},
        {13, "AwaitFunctionAcknowledgement"},
        {14, "Done"},
    });
}

TEST(EngineStates, CardCheckStatesCarryTheirTableNumbers)
{
    ExpectStateTable<TInstCrt::InstState>({
        {0, "Idle"},
        {1, "ShowPrompt"},
        {2, "StartWait"},
        {3, "Waiting"},
        {4, "SendReset"},
        {5, "AwaitResetAcknowledgement"},
        {6, "SendNp"},
        {7, "AwaitNpAcknowledgement"},
        {8, "Done"},
        {9, "Halted"},
        {10, "SendFinish"},
        {11, "AwaitFinishAcknowledgement"},
        {12, "SendVersionComponent"},
        {13, "AwaitVersionComponentAcknowledgement"},
        {14, "AwaitVersionTextAcknowledgement"},
        {15, "SendTestComponent"},
        {16, "AwaitTestComponentAcknowledgement"},
        {17, "CompareVersion"},
        {18, "SendUserVersion"},
        {19, "AwaitUserVersionAcknowledgement"},
        {20, "AwaitUserVersionTextAcknowledgement"},
        {21, "SendStart"},
        {22, "AwaitStartAcknowledgement"},
        {23, "SendPing"},
        {24, "AwaitPingReply"},
        {25, "SendOption"},
        {26, "AwaitOptionAcknowledgement"},
        {27, "AwaitOptionTextAcknowledgement"},
    });
}
