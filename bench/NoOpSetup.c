/* The benchmarks' setup program: it does nothing, so that what is measured is the launcher. */
int main(void)
{
    return 0;
}
