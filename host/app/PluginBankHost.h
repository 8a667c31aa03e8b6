#pragma once
// The hosted instance as the bank and program file code sees it.
//
// Thread use: the message thread.

#include "framework/vst/bank/BankFile.h"
#include "framework/vst/host/HostedPlugin.h"

class PluginBankHost : public BankHost {
public:
    explicit PluginBankHost(HostedPlugin& plugin)
        : plugin_(plugin)
    {
    }
    const AEffect* effect() const override { return plugin_.effect(); }
    VstInt32 uniqueId() const override { return plugin_.loadInfo().uniqueId; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override
    {
        return plugin_.dispatch(opcode, index, value, ptr, opt);
    }
    float getParameter(int index) override { return plugin_.getParameter(index); }
    void setParameter(int index, float value) override { plugin_.setParameter(index, value); }
    void setProgram(int program) override { plugin_.setProgram(program); }
    std::string getCurrentProgramName() override { return plugin_.getCurrentProgramName(); }
    void setCurrentProgramName(const std::string& name) override { plugin_.setCurrentProgramName(name); }
    void refreshProgramNames() override { plugin_.refreshProgramNames(); }
    std::vector<unsigned char> snapshotProgram() override { return plugin_.snapshotProgram(); }
    void restoreSnapshot(const std::vector<unsigned char>& snapshot) override { plugin_.restoreSnapshot(snapshot); }

private:
    HostedPlugin& plugin_;
};
