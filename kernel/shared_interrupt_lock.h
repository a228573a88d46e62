#pragma once
// The lock a function's device model shares with the function's interrupt object
// (PhysicalDeviceInfo::InterruptLock). It must be recursive: whoever steps the model holds it
// and delivers the interrupt from inside the step, where the service routine takes it again.
// The owner of the model decides what happens when it is taken and let go (the driver host's
// card lock wakes its card clock when a section changed the card).

namespace qorval::kernel {

class SharedInterruptLock {
  public:
    virtual void lock() = 0;
    virtual void unlock() = 0;

  protected:
    ~SharedInterruptLock() = default;
};

}  // namespace qorval::kernel
