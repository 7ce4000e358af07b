#pragma once
// A few values of a late-bound call (its arguments, their places) kept on
// the stack; only an unusually long call takes them from the heap.
#include <cstddef>
#include <vector>

namespace plat {

template <class T, size_t N> class StackBuffer {
  public:
    explicit StackBuffer(size_t count) {
        if (count > N) {
            m_more.resize(count);
            m_data = m_more.data();
        }
    }
    StackBuffer(const StackBuffer&) = delete;
    StackBuffer& operator=(const StackBuffer&) = delete;

    T* data() { return m_data; }
    T& operator[](size_t i) { return m_data[i]; }

  private:
    T m_few[N];
    std::vector<T> m_more;
    T* m_data{m_few};
};

} // namespace plat
