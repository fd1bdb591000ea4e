package com.x;

// A main class the main-class tests expect to run: it names itself.
public class Demo {
    public static void main(String[] args) { System.out.println("main ran com.x.Demo"); }
}
